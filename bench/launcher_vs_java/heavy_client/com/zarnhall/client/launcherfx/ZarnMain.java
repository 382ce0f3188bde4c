package com.zarnhall.client.launcherfx;

import java.io.ByteArrayInputStream;
import java.io.StringWriter;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.stream.Collectors;
import java.util.stream.IntStream;
import javax.swing.JButton;
import javax.swing.JComboBox;
import javax.swing.JEditorPane;
import javax.swing.JList;
import javax.swing.JPanel;
import javax.swing.JProgressBar;
import javax.swing.JScrollPane;
import javax.swing.JSlider;
import javax.swing.JSpinner;
import javax.swing.JTabbedPane;
import javax.swing.JTable;
import javax.swing.JTextArea;
import javax.swing.JTree;
import javax.swing.table.DefaultTableModel;
import javax.swing.tree.DefaultMutableTreeNode;
import javax.xml.parsers.DocumentBuilderFactory;
import javax.xml.transform.OutputKeys;
import javax.xml.transform.Transformer;
import javax.xml.transform.TransformerFactory;
import javax.xml.transform.dom.DOMSource;
import javax.xml.transform.stream.StreamResult;
import javax.xml.xpath.XPathConstants;
import javax.xml.xpath.XPathFactory;
import org.w3c.dom.Document;
import org.w3c.dom.NodeList;

/**
 * A client that does at start what a desktop game client does: reads its XML
 * settings, sorts some data with streams and builds a Swing interface (headless,
 * nothing is shown). That loads about 2,800 classes, some 1,800 of them not in
 * the JDK's default class-data archive. Then it prints "ready" and ends with
 * System.exit, as a game does: a main that returns would wait a further second
 * for the AWT to see its event queue idle, the same second for every launcher.
 */
public final class ZarnMain {
    private ZarnMain() {
    }

    public static void main(String[] args) throws Exception {
        System.setProperty("java.awt.headless", "true");
        String settings = readSettings();
        Map<Boolean, List<String>> names = IntStream.range(0, 200).mapToObj(i -> "server" + i)
            .collect(Collectors.partitioningBy(name -> name.length() > 7));
        TreeMap<Integer, Long> lineLengths = Arrays.stream(settings.split("\n"))
            .collect(Collectors.groupingBy(String::length, TreeMap::new, Collectors.counting()));
        JPanel panel = buildInterface(settings);
        // Never true: keeps the work from being optimised away.
        if (args.length > 1000) {
            System.out.println(names.size() + " " + lineLengths + panel);
        }
        // The line a player would first see: the benchmark times its arrival.
        System.out.println("ready");
        System.exit(0);
    }

    private static String readSettings() throws Exception {
        String xml = "<game><server name='alpha' port='27015'/><server name='beta' port='27016'/></game>";
        Document document = DocumentBuilderFactory.newInstance().newDocumentBuilder()
            .parse(new ByteArrayInputStream(xml.getBytes(StandardCharsets.UTF_8)));
        NodeList servers = (NodeList) XPathFactory.newInstance().newXPath()
            .evaluate("/game/server", document, XPathConstants.NODESET);
        Transformer transformer = TransformerFactory.newInstance().newTransformer();
        transformer.setOutputProperty(OutputKeys.INDENT, "yes");
        StringWriter written = new StringWriter();
        transformer.transform(new DOMSource(document), new StreamResult(written));
        return servers.getLength() + "\n" + written;
    }

    private static JPanel buildInterface(String text) {
        JPanel panel = new JPanel();
        panel.add(new JButton("Play"));
        panel.add(new JTable(new DefaultTableModel(new Object[][] {{"alpha", 27015}},
            new Object[] {"name", "port"})));
        panel.add(new JTree(new DefaultMutableTreeNode("servers")));
        panel.add(new JScrollPane(new JTextArea(text)));
        panel.add(new JComboBox<>(new String[] {"windowed", "full screen"}));
        panel.add(new JSlider());
        panel.add(new JProgressBar());
        panel.add(new JTabbedPane());
        panel.add(new JSpinner());
        panel.add(new JList<>(new String[] {"alpha", "beta"}));
        panel.add(new JEditorPane("text/html", "<b>Zarn</b>"));
        panel.doLayout();
        return panel;
    }
}
